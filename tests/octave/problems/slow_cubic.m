function [f, J, domerr] = slow_cubic(x, flag)
  % F(x) = x^3 on a free variable: Newton's method approaches the root 0
  % only linearly (x shrinks by a third per step), so a solve from x = 100
  % takes some twenty iterations. In round k (slow_cubic([], 'reset') starts
  % the next round) the third Jacobian evaluation announces itself in
  % "waiting<k>.flag" and waits for "signal<k>.sent" (at most 60 s), so that
  % an interrupt arrives in the middle of the solve.
  persistent jacobians round
  if isempty(round)
    round = 0;
    jacobians = 0;
  end
  if ischar(flag)
    round = round + 1;
    jacobians = 0;
    f = []; J = []; domerr = [];
    return;
  end
  if flag == 1
    jacobians = jacobians + 1;
    if jacobians == 3
      fclose(fopen(sprintf('waiting%d.flag', round), 'w'));
      for k = 1:1200
        if exist(sprintf('signal%d.sent', round), 'file')
          break;
        end
        pause(0.05);
      end
    end
  end
  f = x.^3;
  J = sparse(3 * x.^2);
  domerr = 0;
end
