function interrupt_session(step, round)
  % The Octave side of the interrupt test (run_interrupt_test.sh), one step
  % per command of the session; the test sends SIGINT while a step runs.
  %   'library', k  a large LCP through lcpgate; "waiting<k>.flag" tells the
  %                 test that the solve starts. Round 1 must end with status
  %                 0 (user interrupt), round 2, at interrupt_limit 1, with
  %                 the error "User termination.". The session then solves.
  %   'runaway'     mcpgate with a user function that never returns; the
  %                 host's interrupt ends the call (nothing after it runs).
  %   'after'       announces itself in "after.flag", then solves.
  %   'idle'        a wait that only Octave's own interrupt handling ends.
  switch step
    case 'library'
      library_round(round);
    case 'runaway'
      write_options();
      z = fresh([0; 0]);
      [status, time] = mcpgate(2, 4, z, [0; 0], [1; 1], 'runaway');
      printf('RUNAWAY RETURNED\n');
    case 'after'
      fclose(fopen('after.flag', 'w'));
      solve_after('the interrupted user function');
      printf('PASSED after the user function\n');
    case 'idle'
      fclose(fopen('idle.flag', 'w'));
      pause(60);
      printf('IDLE WAIT FINISHED\n');
  end
  fflush(stdout);
end

function library_round(round)
  [M, q, lb, ub] = obstacle_lcp(200);
  n = rows(M);
  z = zeros(n, 1);
  if round == 1
    write_options();
    fclose(fopen('waiting1.flag', 'w'));
    [status, time, F] = lcpgate(n, nnz(M), z, lb, ub, M, q);
    expect(status == 0, 'interrupted solve reported status %g', status);
    expect_log('EXIT - user interrupt');
    expect(all(z >= lb) && norm(F - (M * z + q), Inf) <= 1e-8 * max(1, norm(F, Inf)), ...
           'point and F after the interrupt');
    solve_after('the interrupt');
    printf('PASSED interrupted solve\n');
  else
    write_options('interrupt_limit 1');
    fclose(fopen('waiting2.flag', 'w'));
    expect_error(2, @() lcpgate(n, nnz(M), z, lb, ub, M, q), '^lcpgate: User termination\.', ...
                 'interrupt at the limit');
    solve_after('the termination');
    printf('PASSED interrupt at the limit\n');
  end
end

function solve_after(label)
  write_options();
  z = fresh([0; 0]);
  [status, time, F] = mcpgate(2, 2, z, [0; 0], [Inf; Inf], 'shifted_identity');
  expect(status == 1 && norm(z - [1; 2]) < 1e-8, 'mcpgate after %s', label);
  z = fresh([0; 0]);
  [status, time] = lcpgate(2, 2, z, [0; 0], [Inf; Inf], speye(2), -[1; 2]);
  expect(status == 1 && norm(z - [1; 2]) < 1e-8, 'lcpgate after %s', label);
end
