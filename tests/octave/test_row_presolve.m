function test_row_presolve()
  % lcpgate on a box LCP of 4000 variables: 3000 in independent one- and
  % two-row P-matrix blocks with mixed bounds, around a coupled monotone
  % core of 1000 variables. The presolve must settle the blocks (the row
  % pass the two-row ones), leaving a problem about the size of the core, and the point that comes back must
  % solve the whole problem, with the presolve on and off.
  [Mb, qb, lb_b, ub_b] = row_blocks(3000, 7);
  [Mc, qc, lb_c, ub_c] = planted_lcp(1000, 11);
  M = blkdiag(Mb, Mc);
  q = [qb; qc];
  lb = [lb_b; lb_c];
  ub = [ub_b; ub_c];
  n = rows(M);
  for presolve = {'yes', 'no'}
    write_options(['presolve ' presolve{1}]);
    label = ['row blocks around a core, presolve ' presolve{1}];
    z = fresh(zeros(n, 1));
    [status, time, F, basis] = lcpgate(n, nnz(M), z, lb, ub, M, q);
    expect(status == 1, '%s: status %g', label, status);
    check_oracle(z, lb, ub, M * z + q, 1e-6, label);
    residual = norm(F - (M * z + q), Inf);
    expect(residual <= 1e-8 * (1 + norm(q, Inf)), '%s: F differs from M z + q by %g', label, residual);
    if strcmp(presolve{1}, 'yes')
      size_line = regexp(log_text(), 'Preprocessed size\s*:\s*(\d+)', 'tokens', 'once');
      expect(~isempty(size_line), '%s: no preprocessed size in the log', label);
      reduced = str2double(size_line{1});
      expect(reduced <= 1050, '%s: %d variables left after the presolve', label, reduced);
      % The two-row blocks are the row pass's to settle.
      two = regexp(log_text(), 'MCPR: One:\s*\d+ Two:\s*(\d+)', 'tokens', 'once');
      expect(~isempty(two) && str2double(two{1}) > 0, '%s: the row pass fixed no two-row block', label);
    end
  end
end

function [M, q, lb, ub] = row_blocks(n, seed)
  % n variables in independent square blocks of one row (a z + q, a > 0)
  % and two rows ([a b; c d] with a, d > 1 and |b|, |c| < 1, so a P-matrix),
  % with bounds [0, inf), [-1, 1], (-inf, inf) and (-inf, 2] in turn.
  rand('state', seed);
  randn('state', seed);
  rows_ = []; cols = []; vals = [];
  k = 1;
  while k <= n
    if k < n && rand() < 0.6
      a = 2 + rand(); d = 2 + rand(); b = 2 * rand() - 1; c = 2 * rand() - 1;
      rows_ = [rows_, k, k, k + 1, k + 1];
      cols = [cols, k, k + 1, k, k + 1];
      vals = [vals, a, b, c, d];
      k = k + 2;
    else
      rows_ = [rows_, k]; cols = [cols, k]; vals = [vals, 1 + rand()];
      k = k + 1;
    end
  end
  M = sparse(rows_, cols, vals, n, n);
  q = 2 * randn(n, 1);
  kind = mod(0:n-1, 4)' + 1;
  lb = [0; -1; -Inf; -Inf](kind);
  ub = [Inf; 1; Inf; 2](kind);
end
